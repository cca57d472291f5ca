#pragma once

namespace Ogre
{
class AnimationState;
}

namespace brix
{
// One node of a binary tree that spreads one weight over several animation states. A node
// with both children gives its A side weight A of what reaches it and passes the rest on to
// its B side, so a chain of nodes splits the weight step by step.
class AnimationBlendNode
{
public:
    // The state is not owned and may be null.
    explicit AnimationBlendNode(Ogre::AnimationState* state);
    // Deletes both children and their subtrees.
    ~AnimationBlendNode();
    AnimationBlendNode(const AnimationBlendNode&) = delete;
    AnimationBlendNode& operator=(const AnimationBlendNode&) = delete;

    Ogre::AnimationState* getAnimationState() const { return mAnimationState; }
    // Takes ownership; a child replaced this way is not deleted.
    void setChildA(AnimationBlendNode* child) { mChildA = child; }
    void setChildB(AnimationBlendNode* child) { mChildB = child; }
    // The share of the weight that goes to the A side.
    void setWeightA(float weight) { mWeightA = weight; }
    // The share that goes on to the B side (1 minus weight A).
    void setWeightB(float weight) { mWeightA = 1.0f - weight; }

    // Gives each state its share; a state with no weight is disabled.
    void update(float weight);
    // Sets the time position to the phase (0 to 1) of the animation's length.
    void setPhase(float phase, bool recursive);
    void disable(bool recursive);

private:
    Ogre::AnimationState* mAnimationState;
    float mWeightA = 1.0f;
    AnimationBlendNode* mChildA = nullptr;
    AnimationBlendNode* mChildB = nullptr;
};
} // namespace brix
